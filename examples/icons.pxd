<Design>
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="Arrows &#xF080;&#xF081;&#xF082;&#xF083;"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="Media &#xF08D;&#xF08E;&#xF08F;&#xF090;"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="2" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="Outside 21&#xF091;C"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="3" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="Battery &#xF087; Wi-Fi &#xF08B;"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
